#pragma once
// The desktop's keyring, where mail passwords are kept when a Secret Service runs.
#include <QString>
#include <functional>

class IKeyring {
 public:
  virtual ~IKeyring() = default;
  // A Secret Service is running (GNOME Keyring, KWallet's Secret Service, ...).
  virtual bool Available() = 0;
  // Both answer later through the calling thread's event loop; neither waits.
  virtual void Read(const QString& key,
                    std::function<void(bool found, const QString& password)> done) = 0;
  virtual void Write(const QString& key, const QString& password,
                     std::function<void(bool ok)> done) = 0;
  // ok is also true when there was no such entry.
  virtual void Remove(const QString& key, std::function<void(bool ok)> done) = 0;
};

// The Secret Service through QtKeychain, under the service name "Quillatorne".
class SecretServiceKeyring : public IKeyring {
 public:
  bool Available() override;
  void Read(const QString& key,
            std::function<void(bool found, const QString& password)> done) override;
  void Write(const QString& key, const QString& password,
             std::function<void(bool ok)> done) override;
  void Remove(const QString& key, std::function<void(bool ok)> done) override;

 private:
  int available_ = -1;  // not asked yet
};
