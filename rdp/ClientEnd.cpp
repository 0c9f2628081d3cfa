#include "ClientEnd.h"

#include <QRegularExpression>

namespace {

// A session that dropped ends with the same status as one that never came
// up (FreeRDP 3: 147 for both, FreeRDP 2: 131 or 147); only the client's
// own last words tell them apart.
bool droppedMidSession(const QString &lastWords)
{
    return lastWords.contains(QLatin1String("Network disconnect"), Qt::CaseInsensitive);
}

ClientEndReason reasonForStatus(int status)
{
    switch (status) {
    case 0: // success
    case 2: // logoff
    case 11: // disconnect by the user
    case 12: // a disconnect the client reports as the user's (2.11)
        return ClientEndReason::ChosenByUser;
    case 1: // disconnected by the server
    case 130: // protocol error
        return ClientEndReason::ConnectionBroke;
    case 3:
        return ClientEndReason::IdleEnd;
    case 5:
        return ClientEndReason::TakenOver;
    case 4: // logon timeout
    case 7: // connection denied
    case 9: // user privileges
    case 10: // fresh credentials required
    case 132: // authentication failure
    case 134: // logon failure
    case 144: // insufficient privileges
    case 154: // wrong password
    case 155: // access denied
    case 158: // logon type not granted
    case 159: // no credentials
        return ClientEndReason::LogonRefused;
    case 135: // account locked out
    case 148: // password expired
    case 149: // password must change
    case 151: // account disabled
    case 152: // password certainly expired
    case 153: // client revoked
    case 156: // account restriction
    case 157: // account expired
        return ClientEndReason::AccountBlocked;
    case 127: // the package's client starter found no client
        return ClientEndReason::NoClient;
    case 131: // connection failed
    case 133: // negotiation failure
    case 137: // connect undefined
    case 139: // DNS error
    case 140: // DNS name not found
    case 141: // connect failed
    case 142: // MCS connect initial error
    case 143: // TLS connect failed
    case 147: // transport failed
    case 150: // KDC unreachable
        return ClientEndReason::Unreachable;
    default:
        return ClientEndReason::Other;
    }
}

} // namespace

ClientEndReason clientEndReason(const ClientEnd &end)
{
    if (!end.started)
        return ClientEndReason::NoClient;
    if (end.crashed)
        return ClientEndReason::Other;
    const ClientEndReason reason = reasonForStatus(end.exitCode);
    if (reason == ClientEndReason::Unreachable && droppedMidSession(end.lastWords))
        return ClientEndReason::ConnectionBroke;
    return reason;
}

bool offersReconnect(ClientEndReason reason)
{
    switch (reason) {
    case ClientEndReason::Unreachable:
    case ClientEndReason::TakenOver:
    case ClientEndReason::IdleEnd:
    case ClientEndReason::ConnectionBroke:
        return true;
    default:
        return false;
    }
}

QString lastLineOf(const QString &lastWords)
{
    // "[05:47:29:418] [6792:00001a89] [ERROR][com.freerdp.core] - [freerdp_connect]: text"
    static const QRegularExpression prefix(
        QStringLiteral("^\\[[^\\]]*\\] \\[[^\\]]*\\] \\[[^\\]]*\\]\\[[^\\]]*\\] - "));
    QString line = lastWords.section(QStringLiteral(" | "), -1);
    line.remove(prefix);
    return line.trimmed();
}
