#pragma once

// How the till ends, for a script or a host that runs it: 0 done, 1 the service or the plug-in
// said no, 2 unusable arguments or files (and then nothing has been sent), 3 an answer could
// not be written to standard output (it went to standard error and the log instead). The
// command-line till, its demo and till-gui all end so.
namespace till {

enum ExitStatus { Done = 0, Refused = 1, Unusable = 2, AnswerNotDelivered = 3 };

} // namespace till
