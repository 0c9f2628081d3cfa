#pragma once

// The web engine draws through one GL context that the whole process shares.
// Qt makes it while the application object is built when asked to
// (Qt::AA_ShareOpenGLContexts), which loads the whole GL stack before the
// login window can show. The launcher makes it itself instead: once the window
// is up, and at the latest before the portal module loads. Does nothing when
// the context exists already.
void prepareSharedGlContext();
