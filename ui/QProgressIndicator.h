#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

// A ring of twelve capsules fading from opaque to clear, turned in 30-degree
// steps while animating. Draws itself only: no input, no focus.
class QProgressIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(
        int delay READ animationDelay WRITE setAnimationDelay DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(bool displayedWhenStopped READ isDisplayedWhenStopped WRITE setDisplayedWhenStopped
            DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QColor color READ color WRITE setColor DESIGNABLE true SCRIPTABLE true STORED true)

public:
    // Sizes of one capsule for a ring drawn in a square of side s.
    struct Geometry
    {
        int outerRadius = 0;
        int innerRadius = 0;
        int capsuleHeight = 0;
        int capsuleWidth = 0;
        int cornerRadius = 0;
        QRect capsule; // relative to the centre, pointing at 12 o'clock
    };
    static Geometry geometryFor(int side);

    explicit QProgressIndicator(QWidget *parent = nullptr);
    ~QProgressIndicator() override;

    int animationDelay() const { return m_delay; }
    bool isDisplayedWhenStopped() const { return m_displayedWhenStopped; }
    QColor color() const { return m_color; }
    bool isAnimated() const { return m_timerId != -1; }
    int angle() const { return m_angle; }

    QSize sizeHint() const override;
    int heightForWidth(int w) const override;

public slots:
    void startAnimation();
    void stopAnimation();
    void setAnimationDelay(int delay);
    void setDisplayedWhenStopped(bool state);
    void setColor(const QColor &color);

protected:
    void timerEvent(QTimerEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_angle = 0;
    int m_timerId = -1;
    int m_delay = 40;
    bool m_displayedWhenStopped = false;
    QColor m_color = Qt::black;
};
