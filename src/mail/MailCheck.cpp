#include "mail/MailCheck.h"

// The mail checker fills this in.
void StartMailCheck(bool timed, int accountIndex) {
  (void)timed;
  (void)accountIndex;
}
