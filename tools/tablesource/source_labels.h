#pragma once
// Carrying what only a source holds over to a dump of the release it built:
// the labels and notes of its rows, its comments, the order of its rows and
// the way it writes a field (a condition with its label), so that the dump
// compared with the source shows only what the tables changed.

#include "tablesource/source_text.h"

namespace drg::source {

// The dump `dumped`, written as `labelled` writes it where the two mean the
// same: a row of the dump that means what a row of `labelled` means takes
// that row's fields, remarks and the comments above it; groups of rows move
// into the source's order where their order does not matter; conditions
// that `labelled` lists with their default kind and slots are listed again.
Source withRemarksFrom(const Source& dumped, const Source& labelled);

}  // namespace drg::source
