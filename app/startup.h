#ifndef VELMARO_APP_STARTUP_H
#define VELMARO_APP_STARTUP_H

namespace Startup {
// The whole program: identity, folders, style sheet, database, window, event
// loop. Returns the process exit status.
int run(int argc, char *argv[]);
} // namespace Startup

#endif
