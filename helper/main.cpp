#include "helper/OXHelperApplication.h"

int main(int argc, char** argv) { return OXHelperApplication::main(argc, argv); }
