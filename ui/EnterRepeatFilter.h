#pragma once

#include <QObject>

// Swallows the auto-repeated presses of Return and Enter on the objects it is
// installed on, so that holding the key acts once, like one click.
class EnterRepeatFilter : public QObject
{
    Q_OBJECT

public:
    explicit EnterRepeatFilter(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
