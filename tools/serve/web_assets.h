#pragma once
// The page at "/" with its style sheet and script, compiled into the
// program from tools/serve/page/ so that it needs nothing from outside.

#include <string_view>

namespace drg::serve {

extern const std::string_view kPageHtml;
extern const std::string_view kPageCss;
extern const std::string_view kPageJs;

}  // namespace drg::serve
