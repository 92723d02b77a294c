#pragma once
// The registry kept in a text file in the format of regedit export files.
#include <QList>
#include <QString>

#include "platform/Registry.h"

class RegistryFile : public IRegistryBackend {
 public:
  // Reads the file; one that cannot be read or parsed is moved aside to
  // <file>.bad-<timestamp> and the store starts empty.
  explicit RegistryFile(const QString& fileName);
  // The default place: $XDG_CONFIG_HOME/Quillatorne/settings.reg.
  static QString DefaultFileName();

  bool KeyExists(const QString& key) const override;
  bool CreateKey(const QString& key) override;
  std::optional<RegValue> QueryValue(const QString& key, const QString& name) const override;
  bool SetValue(const QString& key, const QString& name, const RegValue& value) override;
  void BeginUpdate() override;
  bool EndUpdate() override;

  const QString& fileName() const { return fileName_; }
  // How many times the file has been written.
  int writes() const { return writes_; }
  // Where a bad file was moved to at load, empty when none was.
  QString movedAsideTo() const override { return movedAside_; }
  // Writes the whole store to the file: temporary file, flush, rename.
  bool Flush(QString* error = nullptr);

  // Parsing and formatting, exposed for the tests.
  struct Key {
    QString path;  // relative to HKEY_CURRENT_USER, or a whole path when otherHive
    bool otherHive = false;
    QList<QPair<QString, RegValue>> values;
  };
  static bool Parse(const QByteArray& bytes, QList<Key>* keys, QString* error);
  static QByteArray Format(const QList<Key>& keys);

 private:
  Key* FindKey(const QString& key);
  const Key* FindKey(const QString& key) const;
  bool Touch();

  QString fileName_;
  QString movedAside_;
  QList<Key> keys_;
  int updateDepth_ = 0;
  int writes_ = 0;
  bool dirty_ = false;
  bool reportedFailure_ = false;
};
