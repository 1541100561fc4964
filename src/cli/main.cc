#include "cli/commands.h"

int main(int argc, char** argv) { return kirvs::RunMain(argc, argv); }
