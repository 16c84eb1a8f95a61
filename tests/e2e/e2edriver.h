#ifndef VELMARO_TESTS_E2E_E2EDRIVER_H
#define VELMARO_TESTS_E2E_E2EDRIVER_H

class MainWindow;
class Regatta;

// Steers the running program through its own widgets; only velmaro-e2e links it.
// One command a line, tab-separated fields, each answered by one JSON line
// {"ok":true,"value":...} or {"ok":false,"error":"..."}. The commands come from
// the local socket VELMARO_E2E_SOCKET, or from the file VELMARO_E2E_SCRIPT with
// the answers appended to VELMARO_E2E_REPORT; a script may also
// "wait <sql> <value> <ms>" and "sleep <ms>". Commands: trigger <menu> <action>,
// clicklegend <boat>, key <name>, slider, setslider <moment|N%>, state,
// sql <statement>, timeouts <ms>, resize <w> <h>, geometry <x> <y> <w> <h>,
// mark <text>, close.
namespace E2eDriver
{
// Starts the driver the environment names, if any; owned by the window.
void attach(MainWindow *window, Regatta *regatta);
} // namespace E2eDriver

#endif
