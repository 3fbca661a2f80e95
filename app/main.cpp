#include "app/OXApplicationMain.h"

int main(int argc, char** argv) { return OXApplicationMain(argc, argv); }
