#pragma once

// Ctrl-C, SIGTERM or SIGHUP (on Windows Ctrl-C, Ctrl-Break and closing the
// console it was started from) ends mirelle-loader as "Exit" does: the event loop
// ends and the windows and the port close in order. Without it the port of a
// simulated machine stays locked after the program was stopped from its
// terminal. Call once, after the application object exists.
void QuitOnSignal();
