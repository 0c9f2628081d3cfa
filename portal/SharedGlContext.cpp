#include "SharedGlContext.h"

#include "LoginStep.h"

#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(opengl)
#include <QCoreApplication>
#include <QOpenGLContext>

// Qt Gui exports these for the web engine and Qt Quick; no public header has them.
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

void dropSharedGlContext()
{
    QOpenGLContext *context = qt_gl_global_share_context();
    qt_gl_set_global_share_context(nullptr);
    delete context;
}

} // namespace
#endif

void prepareSharedGlContext()
{
#if QT_CONFIG(opengl)
    if (qt_gl_global_share_context())
        return;
    LoginStep step("GL context");
    auto *context = new QOpenGLContext;
    context->setFormat(QSurfaceFormat::defaultFormat());
    // Kept even when it cannot be made, as Qt does: the web engine then
    // draws in software instead of taking itself for a plug-in.
    context->create();
    qt_gl_set_global_share_context(context);
    qAddPostRoutine(dropSharedGlContext);
#endif
}
