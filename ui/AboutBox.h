#pragma once

#include <QDialog>

namespace kivo {

// The About box "ﾊﾞｰｼﾞｮﾝ情報": the program icon, the product name and the
// version. OK or Cancel (Escape) closes it.
class AboutBox final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

// Returns the version line of the About box, "Version 0.94" for 0.94.0: the
// project's major and minor version.
QString AboutVersionText();

}  // namespace kivo
