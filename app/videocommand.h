#ifndef VELMARO_APP_VIDEOCOMMAND_H
#define VELMARO_APP_VIDEOCOMMAND_H

// The replay as a video without a window, from the stored database:
//   velmaro --race EVENT/TASK --export video --from T1 --to T2 [--speed S]
//           [--size WIDTHxHEIGHT] --output FILE.mp4
// T1 and T2 are ISO 8601 times (UTC unless they name an offset), S race
// seconds per video second (default 60), the size 1920x1080 unless given.
// Bad arguments end with one line on standard error and exit status 2;
// nothing is written on failure.
namespace VideoCommand
{

// Whether the arguments ask for "--export video".
bool wanted(int argc, char *argv[]);
// Writes the video; the process exit status.
int run(int argc, char *argv[]);

} // namespace VideoCommand

#endif
