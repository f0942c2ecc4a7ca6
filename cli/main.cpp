// tavro: the command line over the core.
#include "cli/app.h"

int main(int argc, char** argv) { return tavro::cli::RunTavro(argc, argv); }
