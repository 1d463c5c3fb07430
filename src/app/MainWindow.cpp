#include "app/MainWindow.hpp"

#include "services/internal/Paths.hpp"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>

namespace hexora::app {
namespace {
constexpr int Margin = 40;
constexpr QRect MessageFrame{Margin, 292, MainWindow::Width - 2 * Margin, 56};
constexpr QRect BarFrame{Margin, 356, MainWindow::Width - 2 * Margin, 10};
constexpr QRect DevLabelFrame{8, 8, 240, 16};

QString resourcePath(const char* name) {
    return QString::fromStdString((bundleRootPath() / "Contents" / "Resources" / name).string());
}
}  // namespace

MainWindow::MainWindow(std::function<bool()> shouldClose) : shouldClose_(std::move(shouldClose)) {
    setWindowTitle(QStringLiteral("Hexora"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Width, Height);
    if (const QPixmap icon(resourcePath("icon.png")); !icon.isNull()) setWindowIcon(QIcon(icon));
    setAutoFillBackground(true);
    auto colours = palette();
    colours.setColor(QPalette::Window, QColor(18, 22, 34));
    setPalette(colours);

    centreOnScreen();

    viewController_ = std::make_unique<ViewController>(layOut());
    viewController_->viewDidLoad();
}

MainWindow::~MainWindow() = default;

ViewController::Outlets MainWindow::layOut() {
    ViewController::Outlets outlets;
    outlets.view = this;

    // Made first, so it lies below everything else.
    auto* background = new QLabel(this);
    background->setGeometry(0, 0, Width, Height);
    background->setScaledContents(true);
    QPixmap image(resourcePath("background.png"));
    if (!image.isNull()) background->setPixmap(image);
    outlets.backgroundImage = background;

    auto* message = new QLabel(this);
    message->setGeometry(MessageFrame);
    message->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    message->setWordWrap(true);
    QFont font = message->font();
    font.setPointSize(11);
    message->setFont(font);
    outlets.textMessage = message;

    const auto bars = outlets.progressBars();
    for (int index = 0; index < ViewController::BarCount; ++index) {
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("progressBar%1").arg(index));
        bar->setGeometry(BarFrame);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        *bars[index] = bar;
    }

    auto* dev = new QLabel(this);
    dev->setGeometry(DevLabelFrame);
    outlets.devLabel = dev;
    return outlets;
}

void MainWindow::centreOnScreen() {
    const auto* screen = this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - Width) / 2, area.y() + (area.height() - Height) / 2);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    viewController_->viewDidAppear();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!appeared_) return;
    appeared_ = false;
    viewController_->viewWillDisappear();
}

}  // namespace hexora::app
