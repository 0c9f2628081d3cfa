#pragma once

class QString;
class QUrl;

// Where a page or a download comes from, as the web engine decides what may
// talk to what: scheme, host and port, and nothing of the path or query.

// "scheme://host:port" for url, the host in lower case and the port of the
// scheme filled in when the address leaves it out (https://Portal gives
// https://portal:443). Empty for an address without a host (file:, about:,
// data:, blob: and the like).
QString originOf(const QUrl &url);

// True when url comes from the portal at portal. A blob: address counts by the
// origin inside it; a data: address has none of its own, and since no web
// engine says which frame offered one, it never counts. Nothing matches a
// portal without an origin.
bool isPortalOrigin(const QUrl &url, const QUrl &portal);

// True when a navigation to the exit address url may end the portal: one of
// the page itself, or of a frame going to the portal's own origin. A foreign
// frame cannot end the session.
bool frameMayExit(const QUrl &url, bool mainFrame, const QUrl &portal);

// "host:port" of url's origin, the port written even when it is the scheme's
// default: the key under which a server's certificate is remembered. Empty
// for an address without a host.
QString hostPortOf(const QUrl &url);
