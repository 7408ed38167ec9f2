#pragma once

// The program's entry point in its shared library, which the `vantorel`
// command loads for every start it does not answer itself: main() with the
// command's own arguments, unchanged.
extern "C" __attribute__((visibility("default"))) int vantorel_program_main(int argc, char *argv[]);

namespace ProgramEntry {
inline constexpr char symbol[] = "vantorel_program_main";
using Function = int(int argc, char *argv[]);
} // namespace ProgramEntry
