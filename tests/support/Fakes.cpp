#include "support/Fakes.h"

bool FakeDesktop::InstallWallpaper(const QString& bmpPath, const QImage&, QString* error) {
  installed << bmpPath;
  if (!installResult && error) *error = QStringLiteral("refused by the fake desktop");
  return installResult;
}

int FakeMessageBoxes::Show(const QString& text, const QString& caption, unsigned flags) {
  calls.append({text, caption, flags});
  if (answer) return answer(calls.last());
  return (flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

FakeServices::FakeServices() : saved_(Svc()) {
  Svc() = Services{&clock, &random, &desktop, &messages};
}

FakeServices::~FakeServices() { Svc() = saved_; }
