// What cardnum's exit status means; the manual page and the README list the same codes.
#pragma once

namespace cardnum {

enum ExitCode : int {
    kDone = 0,          // the command did what was asked
    kNotFound = 1,      // no such card, renumbering refused or not confirmed, doctor found problems
    kUsage = 2,         // bad command line
    kNoPortAccess = 3,  // the port layer reaches no machine
};

}  // namespace cardnum
