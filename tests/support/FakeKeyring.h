#pragma once
// A keyring in memory that answers through the event loop, as the real one does.
#include <QHash>
#include <QTimer>

#include "platform/Keyring.h"

class FakeKeyring : public IKeyring {
 public:
  bool available = true;
  bool writesFail = false;
  QHash<QString, QString> entries;
  int reads = 0;
  int writes = 0;
  bool Available() override { return available; }
  void Read(const QString& key,
            std::function<void(bool found, const QString& password)> done) override {
    ++reads;
    QTimer::singleShot(0, [this, key, done] { done(entries.contains(key), entries.value(key)); });
  }
  void Write(const QString& key, const QString& password,
             std::function<void(bool ok)> done) override {
    ++writes;
    QTimer::singleShot(0, [this, key, password, done] {
      if (!writesFail) entries.insert(key, password);
      done(!writesFail);
    });
  }
  void Remove(const QString& key, std::function<void(bool ok)> done) override {
    QTimer::singleShot(0, [this, key, done] {
      entries.remove(key);
      done(true);
    });
  }
};
