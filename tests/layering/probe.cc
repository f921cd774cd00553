// Compiled by the layering tests with one target's include roots: includes PROBE_HEADER.
#include PROBE_HEADER
