#include "QProgressIndicator.h"

#include <QPainter>

QProgressIndicator::QProgressIndicator(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
}

QProgressIndicator::~QProgressIndicator() = default;

QProgressIndicator::Geometry QProgressIndicator::geometryFor(int side)
{
    Geometry g;
    const double r = (side - 1) * 0.5;
    g.outerRadius = int(r);
    g.innerRadius = int(r * 0.38);
    g.capsuleHeight = g.outerRadius - g.innerRadius;
    // Thinner capsules from 33 pixels up.
    g.capsuleWidth = side > 32 ? int(g.capsuleHeight * 0.23) : int(g.capsuleHeight * 0.35);
    g.cornerRadius = g.capsuleWidth / 2;
    g.capsule = QRect(int(-g.capsuleWidth * 0.5), -g.outerRadius, g.capsuleWidth, g.capsuleHeight);
    return g;
}

QSize QProgressIndicator::sizeHint() const
{
    return QSize(20, 20);
}

int QProgressIndicator::heightForWidth(int w) const
{
    return w;
}

void QProgressIndicator::startAnimation()
{
    m_angle = 0;
    if (m_timerId == -1)
        m_timerId = startTimer(m_delay);
}

void QProgressIndicator::stopAnimation()
{
    if (m_timerId != -1)
        killTimer(m_timerId);
    m_timerId = -1;
    update();
}

void QProgressIndicator::setAnimationDelay(int delay)
{
    const bool running = m_timerId != -1;
    if (running)
        killTimer(m_timerId);
    m_delay = delay;
    if (running)
        m_timerId = startTimer(m_delay);
}

void QProgressIndicator::setDisplayedWhenStopped(bool state)
{
    m_displayedWhenStopped = state;
    update();
}

void QProgressIndicator::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void QProgressIndicator::timerEvent(QTimerEvent *)
{
    m_angle = (m_angle + 30) % 360;
    update();
}

void QProgressIndicator::paintEvent(QPaintEvent *)
{
    if (!isAnimated() && !m_displayedWhenStopped)
        return;

    const Geometry g = geometryFor(qMin(width(), height()));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        QColor color = m_color;
        color.setAlphaF(1.0f - (float(i) / 12.0f));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.save();
        painter.translate(rect().center());
        painter.rotate(m_angle - i * 30.0);
        painter.drawRoundedRect(g.capsule, g.cornerRadius, g.cornerRadius, Qt::AbsoluteSize);
        painter.restore();
    }
}
