#ifndef VELMARO_APP_IMPORTCOMMAND_H
#define VELMARO_APP_IMPORTCOMMAND_H

// A race from the sailor's own files, without a window:
//   velmaro --import FILE... --name NAME [--class NAME]
// prints the new race's EVENT/TASK. A file that is refused, or that holds bad
// points (nobody is there to accept leaving them out), ends with its reason
// on standard error and exit status 2; nothing is stored then.
namespace ImportCommand
{

bool wanted(int argc, char *argv[]);
// The process exit status.
int run(int argc, char *argv[]);

} // namespace ImportCommand

#endif
