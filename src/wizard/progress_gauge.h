// The percentage bar of an export, painted over the status box of the page whose Finish started it.
#pragma once

#include <QFrame>
#include <QSize>

class QPainter;

namespace quorv::wizard {

class ProgressGauge {
  public:
    // client: the size of the area the gauge paints on.
    explicit ProgressGauge(QSize client) : client_(client) {}

    // Whole percent of done out of total, cut toward zero (100 for a total of 0).
    static int percentOf(int done, int total);
    // The right end of the bar for a percentage on a client area of the given width.
    static int barEnd(int clientWidth, int percent);

    // Records the new progress; true when the whole percentage changed and the gauge must be repainted.
    bool updateProgress(int done, int total);
    int percent() const { return lastPercent_; }

    // Paints the bar and the text for the last percentage; nothing before the first update.
    void paint(QPainter &painter) const;

  private:
    QSize client_;
    int lastPercent_ = -1;
};

// The status box: a sunken, empty box that shows the gauge while an export runs.
class StatusBox : public QFrame {
    Q_OBJECT
  public:
    explicit StatusBox(QWidget *parent = nullptr);

    void startGauge();
    // Repaints at once when the percentage changed.
    void showProgress(int done, int total);
    void stopGauge();
    bool gaugeActive() const { return gauge_ != nullptr; }
    int paintCount() const { return paintCount_; }
    int percent() const { return gauge_ ? gauge_->percent() : -1; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    std::unique_ptr<ProgressGauge> gauge_;
    int paintCount_ = 0;
};

} // namespace quorv::wizard
