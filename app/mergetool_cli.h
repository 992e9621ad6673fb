// The command line's whole run, from its arguments to its exit status, apart
// from the program's entry, so that a test build can wrap it (a planned write
// fault) while the shipped program stays as it is.
#pragma once

// Parses the arguments, merges or checks, shuts down and returns the exit
// status: 0 done, 1 refused or failed, 2 bad arguments or a dry run that
// found the merge would fail.
int RunMergeCommandLine(int argc, char** argv);
