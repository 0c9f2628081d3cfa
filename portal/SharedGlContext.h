#pragma once

class QObject;

// The web engine draws through one GL context that the whole process shares.
// Qt makes it while the application object is built when asked to
// (Qt::AA_ShareOpenGLContexts), which loads the whole GL stack before the
// login window can show. The launcher makes it itself instead, at the latest
// before the portal module loads. Does nothing when the context exists
// already.
void prepareSharedGlContext();

// Makes the context once the event loop runs, where that costs no memory:
// Qt 5 loads the GL stack with the first window anyway, and a context made
// then is out of the login's way. Qt 6 loads GL only for the portal, so there
// the login form stays without it (about 60 MiB less with Mesa) and the login
// press makes the context while the server answers.
void prepareSharedGlContextSoon(QObject *window);
