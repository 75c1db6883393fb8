#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/AppIcons.h"

namespace kivo {

namespace {

constexpr int kIconSize = 48;

QLabel* NamedLabel(const QString& text, const QString& objectName, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(objectName);
  label->setAccessibleName(text);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

QString AboutVersionText() {
  const QStringList parts = QStringLiteral(KIVO_VERSION).split(QLatin1Char('.'));
  return QStringLiteral("Version %1.%2").arg(parts.value(0), parts.value(1));
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutBox"));
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  setAccessibleName(windowTitle());
  setWindowIcon(ProgramIcon());

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setAccessibleName(QStringLiteral("Kivo のｱｲｺﾝ"));
  icon->setPixmap(ProgramIcon().pixmap(kIconSize, kIconSize));
  QLabel* product = NamedLabel(QStringLiteral("Kivo"), QStringLiteral("aboutProduct"), this);
  QFont productFont = product->font();
  productFont.setBold(true);
  product->setFont(productFont);
  QLabel* version = NamedLabel(AboutVersionText(), QStringLiteral("aboutVersion"), this);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setObjectName(QStringLiteral("aboutButtons"));
  buttons->setAccessibleName(QStringLiteral("ﾎﾞﾀﾝ"));
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName(QStringLiteral("aboutOk"));
  ok->setAccessibleName(ok->text());
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setHorizontalSpacing(16);
  layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(product, 0, 1);
  layout->addWidget(version, 1, 1);
  layout->addWidget(buttons, 2, 0, 1, 2);
}

}  // namespace kivo
