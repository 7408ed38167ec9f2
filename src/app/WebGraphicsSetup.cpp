#include "WebGraphicsSetup.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QtGui/private/qopenglcontext_p.h>

void WebGraphicsSetup::prepareSharedContext()
{
    if (qt_gl_global_share_context())
        return;
    // Kept for the rest of the process, like the one Qt would create.
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create(); // without GL (offscreen) the engine renders in software
    qt_gl_set_global_share_context(context);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
