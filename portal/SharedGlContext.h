#pragma once

// The web engine draws through one GL context that the whole process shares.
// Qt makes it while the application object is built when asked to
// (Qt::AA_ShareOpenGLContexts), which loads the whole GL stack before the
// login window can show. The launcher makes it itself instead, before the
// portal module loads: when a login is likely, or at the press. That keeps
// the context out of the login form's start and memory (Qt 6 loads no GL
// for the form at all; about 60 MiB of Mesa). Does nothing when the context exists
// already.
void prepareSharedGlContext();
