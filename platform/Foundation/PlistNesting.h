#pragma once
// How deeply a property list nests, judged from its bytes before any parser sees it. The
// parser recurses once per level of nesting, so a list nested many thousands deep would run
// it out of stack; the phone's own lists are a few levels deep.
#include <string_view>

// Arrays and dictionaries inside one another, the outermost counted: a dictionary of plain
// values is 1 deep.
constexpr int kDeepestPropertyList = 64;

// True when `data`, in the form the parser would take it for (binary when it begins with
// "bplist00", XML otherwise), nests at most kDeepestPropertyList deep. Works in a loop with
// its own bounded stack, never by recursion. False as well for a list whose depth cannot be
// judged the way the parser would read it: XML with markup inside quotes, comments or CDATA,
// or with mismatched tags; binary with references out of range, or with a container that
// more than one reference leads to (the parser would copy it for each, without end in a
// cycle and exponentially often in a chain of shared levels), or with a UTF-16 string that
// holds U+0000 (libplist aborts on such a dictionary key). The parser rejects such lists
// anyway, or they are none the system writes.
bool nestingWithinLimit(std::string_view data);
