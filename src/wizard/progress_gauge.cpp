#include "wizard/progress_gauge.h"

#include <QPainter>

namespace quorv::wizard {

int ProgressGauge::percentOf(int done, int total) {
    if (total <= 0)
        return 100;
    return static_cast<int>(static_cast<double>(done) / total * 100.0);
}

int ProgressGauge::barEnd(int clientWidth, int percent) {
    const int width = clientWidth - 1;
    if (percent >= 100)
        return width;
    return static_cast<int>((width * percent) * 0.01);
}

bool ProgressGauge::updateProgress(int done, int total) {
    const int p = percentOf(done, total);
    if (p == lastPercent_)
        return false;
    lastPercent_ = p;
    return true;
}

void ProgressGauge::paint(QPainter &painter) const {
    if (lastPercent_ < 0)
        return;
    const int w = client_.width() - 1;
    const int h = client_.height() - 1;
    const int x = barEnd(client_.width(), lastPercent_);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (x > 3) {
        // A raised block from 0 to x: shade at the bottom and right, dark frame, light top and left.
        painter.setPen(QPen(QColor(130, 130, 130), 3));
        painter.drawPolyline(QPolygon({QPoint(1, h - 1), QPoint(x - 2, h - 1), QPoint(x - 2, 1)}));
        painter.setPen(QPen(Qt::black, 0));
        painter.drawPolyline(
            QPolygon({QPoint(x, 0), QPoint(x, h), QPoint(0, h), QPoint(0, 0), QPoint(x - 1, 0)}));
        painter.setPen(QPen(Qt::white, 0));
        painter.drawPolyline(QPolygon({QPoint(1, h - 2), QPoint(1, 1), QPoint(x - 2, 1)}));
        painter.fillRect(QRect(QPoint(2, 2), QPoint(x - 4, h - 3)), QColor(192, 192, 192));
    }
    if (x + 1 < w)
        painter.fillRect(QRect(QPoint(x + 1, 1), QPoint(w - 1, h - 1)), Qt::white);

    const QString text = QString::number(std::min(lastPercent_, 100)) + QStringLiteral(" %");
    const QFontMetrics metrics = painter.fontMetrics();
    const int textX = w / 2 - 2 * metrics.averageCharWidth();
    const int textTop = client_.height() / 2 - metrics.height() / 2;
    painter.setPen(QColor(0, 0, 255));
    painter.drawText(QPoint(textX, textTop + metrics.ascent()), text);
    painter.restore();
}

StatusBox::StatusBox(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setObjectName(QStringLiteral("statusBox"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize StatusBox::sizeHint() const {
    return {200, fontMetrics().height() + 8};
}

void StatusBox::startGauge() {
    gauge_ = std::make_unique<ProgressGauge>(contentsRect().size());
    paintCount_ = 0;
}

void StatusBox::showProgress(int done, int total) {
    if (gauge_ && gauge_->updateProgress(done, total))
        repaint();
}

void StatusBox::stopGauge() {
    gauge_.reset();
    update();
}

void StatusBox::paintEvent(QPaintEvent *event) {
    QFrame::paintEvent(event);
    if (!gauge_)
        return;
    QPainter painter(this);
    painter.translate(contentsRect().topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), contentsRect().size()));
    gauge_->paint(painter);
    ++paintCount_;
}

} // namespace quorv::wizard
