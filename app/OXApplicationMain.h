#pragma once

// Ombrix from start to end: the application, our information values and bus name, the interface, the launch
// sequence, the event loop, and the delegate's will-terminate step on every way out (ox::Application::run). A second
// Ombrix on the same session leaves at once. Answers the exit code.
int OXApplicationMain(int argc, char** argv);
