#include "ui/PatrolDialog.h"

#include <algorithm>
#include <cstdio>

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "patrol/PatrolRunning.h"
#include "ui/PatrolTexts.h"

namespace kivo {

namespace {

// The width of the texts, wide enough for a title or a URL of ordinary
// length; longer ones are cut with "…".
constexpr int kValueWidth = 300;

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* MakeLabel(const QString& text, const QString& objectName, const QString& accessibleName,
                  QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(objectName);
  label->setAccessibleName(accessibleName);
  // Titles and URLs come from pages and users: never read them as markup.
  label->setTextFormat(Qt::PlainText);
  return label;
}

// Shows `text` in `label`, cut to the label's width on one line; the whole
// text stays readable as the label's tool tip.
void SetCutText(QLabel* label, const QString& text) {
  QString line = text;
  for (QChar& ch : line) {
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
      ch = QLatin1Char(' ');
    }
  }
  label->setText(label->fontMetrics().elidedText(line, Qt::ElideRight, label->width()));
  label->setToolTip(line);
}

}  // namespace

PatrolDialog::PatrolDialog(PatrolList& list, EntryUpdated entryUpdated, QWidget* parent)
    : QDialog(parent), list_(list), entryUpdated_(std::move(entryUpdated)) {
  setObjectName(QStringLiteral("patrolDialog"));
  setWindowTitle(QStringLiteral("巡回"));
  setAccessibleName(windowTitle());
  setModal(true);

  auto* layout = new QGridLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  const auto addRow = [&](int row, const QString& caption, const QString& name) {
    layout->addWidget(MakeLabel(caption, name + QStringLiteral("Label"), caption, this), row, 0);
    QLabel* value = MakeLabel(QString(), name, caption, this);
    value->setFixedWidth(kValueWidth);
    layout->addWidget(value, row, 1);
    return value;
  };
  title_ = addRow(0, QStringLiteral("ﾀｲﾄﾙ:"), QStringLiteral("patrolTitle"));
  url_ = addRow(1, QStringLiteral("URL:"), QStringLiteral("patrolUrl"));
  state_ = addRow(2, QStringLiteral("状態:"), QStringLiteral("patrolState"));

  bytes_ = MakeLabel(QString(), QStringLiteral("patrolBytes"), QStringLiteral("ﾊﾞｲﾄ数"), this);
  bytes_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(bytes_, 3, 0, 1, 2);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("patrolProgress"));
  progress_->setAccessibleName(QStringLiteral("進行状況"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  layout->addWidget(progress_, 4, 0, 1, 2);

  cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cancel_->setObjectName(QStringLiteral("patrolCancel"));
  cancel_->setAccessibleName(cancel_->text());
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &PatrolDialog::Cancel);
  layout->addWidget(cancel_, 5, 0, 1, 2, Qt::AlignHCenter);

  refresh_ = new QTimer(this);
  refresh_->setInterval(kRefreshMs);
  connect(refresh_, &QTimer::timeout, this, &PatrolDialog::Refresh);
}

PatrolDialog::~PatrolDialog() {
  worker_.Join();
}

int32_t PatrolDialog::Run() {
  finished_ = false;
  refresh_->start();
  // The worker's first calls wait in the event queue until exec() serves
  // them, so it may start before the dialog is up.
  worker_.Start(PatrolParams{this, &list_, nullptr, &report_, trigger_});
  exec();
  // exec() also returns when the whole program is told to quit. The worker
  // may then be waiting for this thread, so it is cancelled and served until
  // it has finished.
  if (!finished_) {
    Cancel();
    while (!finished_) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  refresh_->stop();
  return worker_.Join();
}

void PatrolDialog::Cancel() {
  PatrolRunning.store(0);
  cancel_->setEnabled(false);
}

void PatrolDialog::reject() {
  if (finished_) {
    QDialog::reject();
    return;
  }
  Cancel();
}

void PatrolDialog::Record(unsigned change, QString Shown::*field, QString text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pending_.*field = std::move(text);
  changes_ |= change;
}

void PatrolDialog::SetTitle(std::u16string_view name) {
  Record(kTitleChanged, &Shown::Title, FromWide(name));
}

void PatrolDialog::SetUrl(std::u16string_view url) {
  Record(kUrlChanged, &Shown::Url, FromWide(url));
}

void PatrolDialog::SetState(PatrolState state) {
  Record(kStateChanged, &Shown::State, PatrolStateText(state));
}

void PatrolDialog::SetBytes(std::optional<ByteCount> count) {
  Record(kBytesChanged, &Shown::Bytes, ByteCountText(count));
}

void PatrolDialog::SetPercent(int32_t percent) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pending_.Percent = std::clamp(percent, 0, 100);
  changes_ |= kPercentChanged;
}

void PatrolDialog::ShowError(const PatrolError& error) {
  const QString text = PatrolErrorText(error);
  if (errorDelivery_ == ErrorDelivery::StandardError) {
    std::fprintf(stderr, "kivo: %s\n", text.toUtf8().constData());
    return;
  }
  // The history's troubles cost the patrol nothing, so they only warn.
  const QMessageBox::Icon icon =
      error.Kind == PatrolErrorKind::History ? QMessageBox::Warning : QMessageBox::Critical;
  CallOnGuiThread([this, &text, icon] {
    QMessageBox box(icon, QStringLiteral("Kivo"), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("patrolErrorBox"));
    box.setAccessibleName(text);
    box.exec();
  });
}

void PatrolDialog::UpdateEntry(UrlEntry& entry, const EntryUpdate& update) {
  CallOnGuiThread([this, &entry, &update] {
    ApplyEntryUpdate(entry, update);
    if (entryUpdated_) {
      entryUpdated_(entry);
    }
  });
}

void PatrolDialog::Finished() {
  CallOnGuiThread([this] {
    finished_ = true;
    activeAtEnd_ = isActiveWindow();
    Refresh();
    accept();
  });
}

void PatrolDialog::CallOnGuiThread(const std::function<void()>& call) {
  std::unique_lock<std::mutex> lock(mutex_);
  call_ = &call;
  QMetaObject::invokeMethod(this, &PatrolDialog::ServeCall, Qt::QueuedConnection);
  callServed_.wait(lock, [this] { return call_ == nullptr; });
}

void PatrolDialog::ServeCall() {
  const std::function<void()>* call = nullptr;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    call = call_;
  }
  if (call == nullptr) {
    return;
  }
  (*call)();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    call_ = nullptr;
  }
  callServed_.notify_one();
}

void PatrolDialog::Refresh() {
  Shown shown;
  unsigned changes = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    shown = pending_;
    changes = changes_;
    changes_ = 0;
  }
  if (changes & kTitleChanged) {
    SetCutText(title_, shown.Title);
  }
  if (changes & kUrlChanged) {
    SetCutText(url_, shown.Url);
  }
  if (changes & kStateChanged) {
    SetCutText(state_, shown.State);
  }
  if (changes & kBytesChanged) {
    bytes_->setText(shown.Bytes);
  }
  if (changes & kPercentChanged) {
    progress_->setValue(shown.Percent);
  }
}

}  // namespace kivo
