#include "app/WebGraphicsSetup.h"

#include "model/Log.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QtGui/private/qopenglcontext_p.h>

void WebGraphicsSetup::prepareSharedContext()
{
    QOpenGLContext *context = qt_gl_global_share_context();
    if (!context) {
        // Kept for the rest of the process, like the one Qt would create.
        context = new QOpenGLContext(QCoreApplication::instance());
        context->setFormat(QSurfaceFormat::defaultFormat());
        context->create();
        // Set even when creating it failed: the engine expects one to be
        // there, and checks it itself.
        qt_gl_set_global_share_context(context);
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    // Without GL (offscreen, or no usable driver) the engine still works.
    if (!context->isValid())
        Log::line(QStringLiteral("WebWindow: No shared graphics context, pages render in software"));
}
