#!/usr/bin/env bash
# Test runs beyond the main sanitized suite (each adds its own build when needed).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="${JOBS:-$(nproc)}"

# The mail checker shares state between its worker thread and the user-interface thread,
# large pictures are decoded in bands, the monitors composed side by side and the PNG copy
# written on two threads: those tests run again under ThreadSanitizer (a build of its own, unit
# and integration tests only).
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLATORNE_TSAN=ON -DQUILLATORNE_SANITIZE=OFF
cmake --build build-tsan -j "$JOBS" --target unit_tests integration_tests
# The keyring tests talk to the Secret Service through Qt's D-Bus thread and libsecret's
# GLib threads, which are not built for ThreadSanitizer and only give it false reports. The
# new-mail announcement tests run on the user-interface thread alone, but the tray icon they
# show talks to the panel through that same D-Bus thread: they are left out for that reason.
(cd build-tsan && ctest -R '^(unit|integration)\..*(Pop3|Imap|Mail|Dovecot|Band|Shrink|Compose|Png)' \
  -E 'SecretService|MailNotify|MailTick|MailIconClick' --output-on-failure -j "$JOBS")
