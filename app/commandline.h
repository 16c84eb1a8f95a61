#ifndef VELMARO_APP_COMMANDLINE_H
#define VELMARO_APP_COMMANDLINE_H

// Exports without a window, from the stored database:
//   velmaro --race EVENT/TASK [--fetch] [--at TIME]
//           --export leaderboard|gpx|manoeuvres|wind --output FILE
// --fetch downloads the race from the tracking service first (alone, it only
// downloads). Bad arguments end with one line naming the problem on standard
// error and exit status 2, a failed download with status 1; nothing is
// written on failure.
namespace CommandLine
{

// Whether the arguments ask for an export rather than the window.
bool wantsExport(int argc, char *argv[]);
// Runs the export; the process exit status.
int runExport(int argc, char *argv[]);

} // namespace CommandLine

#endif
