// The entry of mergetool-cli; everything it does is RunMergeCommandLine's.
#include "app/mergetool_cli.h"

int main(int argc, char** argv) { return RunMergeCommandLine(argc, argv); }
