#pragma once
#include <QComboBox>

// A drop-down list of the installed scalable fonts of variable pitch, sorted, each name
// drawn in its own face; typing a name's first letters selects it. A face that is not
// installed (settings carried over from another machine) is kept as an entry of its own,
// so showing it never changes it.
class FontCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit FontCombo(QWidget* parent = nullptr);

  QString face() const { return currentText(); }
  // Selects the face, matched without regard to case. Emits nothing.
  void setFace(const QString& face);

 signals:
  // The user chose another face.
  void faceChanged(const QString& face);

 private:
  int missing_ = -1;  // index of the entry for a face that is not installed
};
