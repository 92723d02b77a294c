#pragma once
// The registry kept in a text file in the format of regedit export files.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
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
  std::optional<QStringList> ValueNames(const QString& key) const override;
  std::optional<QStringList> SubKeyNames(const QString& key) const override;
  void BeginUpdate() override;
  bool EndUpdate() override;

  const QString& fileName() const { return fileName_; }
  // How many times the file has been written.
  int writes() const { return writes_; }
  // Where a bad file was moved to at load, empty when none was.
  QString movedAsideTo() const override { return movedAside_; }
  // Where the original file was copied before a save that could not keep all of it.
  const QString& originalKeptAs() const { return originalKept_; }
  // Writes the whole store to the file: temporary file, flush, rename.
  bool Flush(QString* error = nullptr);

  // Parsing and formatting, exposed for the tests.
  struct Value {
    Value() = default;
    Value(const QString& n, const RegValue& v, const QByteArray& r = {})
        : name(n), value(v), raw(r) {}
    QString name;
    RegValue value;
    // The value's lines exactly as the file held them; written back as they were until
    // the value is set to something else.
    QByteArray raw;
  };
  struct Key {
    Key() = default;
    Key(const QString& p, bool other, const QList<Value>& v = {}, const QByteArray& r = {})
        : path(p), otherHive(other), values(v), raw(r) {}
    QString path;  // relative to HKEY_CURRENT_USER, or a whole path when otherHive
    bool otherHive = false;
    QList<Value> values;
    QByteArray raw;  // the header line as the file held it
  };
  // `exact` (when given) tells whether every line can be written back as it was read:
  // a UTF-16 file with unpaired surrogates cannot.
  static bool Parse(const QByteArray& bytes, QList<Key>* keys, QString* error,
                    bool* exact = nullptr);
  static QByteArray Format(const QList<Key>& keys);

 private:
  qsizetype FindKey(const QString& key) const;
  void Index();
  void IndexKey(qsizetype k);
  bool Touch();
  void KeepOriginal();

  QString fileName_;
  QString movedAside_;
  bool keepUnsaved_ = false;  // an unreadable file that could not be kept aside
  QString originalKept_;
  QList<Key> keys_;
  // Lookups by folded name, so that a file with many sections or values stays linear.
  QHash<QString, qsizetype> keyIndex_;
  QList<QHash<QString, qsizetype>> valueIndex_;  // one per entry of keys_
  QSet<QString> keyPrefixes_;                    // every key and each of its parents
  int updateDepth_ = 0;
  int writes_ = 0;
  bool dirty_ = false;
  bool reportedFailure_ = false;
  bool keepOriginal_ = false;  // the next save must copy the original file aside first
};
