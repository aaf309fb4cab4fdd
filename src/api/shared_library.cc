// The shared library holds the grouper's whole archive; it needs no code of its own.
