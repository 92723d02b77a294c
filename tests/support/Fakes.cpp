#include "support/Fakes.h"

#include "app/SettingsFile.h"

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

FakeServices::FakeServices() {
  keyring.available = false;
  NewRun();
}

FakeServices::~FakeServices() = default;

PasswordKeeper& FakeServices::NewRun() {
  passwords = std::make_unique<PasswordKeeper>(services.keyring);
  services.passwords = passwords.get();
  return *passwords;
}

void FakeMainStore::Open(IRegistryBackend& backend) {
  store_.emplace(backend);
  store_->OpenKey(QString::fromLatin1(kProductKey));
}

void FakeMainStore::Load() { LoadSettings(*store_, fakes_.config, fakes_.services.passwords); }

void FakeMainStore::LoadAsNewRun() {
  fakes_.config = Config(fakes_.desktop.screen);
  fakes_.NewRun();
  Load();
}

bool FakeMainStore::Save() { return SaveSettings(*store_, fakes_.config, fakes_.services.passwords); }

quint64 FakeNotifications::Notify(const DesktopNotification& n) {
  if (!available) return 0;
  shown.append({next_, n});
  return next_++;
}

void FakeNotifications::Close(quint64 handle) {
  for (int i = 0; i < shown.size(); ++i) {
    if (shown[i].handle != handle) continue;
    shown.removeAt(i);
    closed << handle;
    emit Closed(handle);
    return;
  }
}

void FakeNotifications::Invoke(quint64 handle, const QString& key) {
  emit ActionInvoked(handle, key);
  for (int i = 0; i < shown.size(); ++i) {
    if (shown[i].handle != handle) continue;
    shown.removeAt(i);
    emit Closed(handle);
    return;
  }
}

const FakeNotifications::Entry* FakeNotifications::Find(const QString& summary) const {
  for (const Entry& e : shown)
    if (e.notification.summary == summary) return &e;
  return nullptr;
}
