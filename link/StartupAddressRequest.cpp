#include "link/StartupAddressRequest.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// A camera server that accepts the connection but never answers must not keep the request alive.
constexpr int TransferTimeoutMs = 10000;
} // namespace

void RequestStartupAddress(const QString &url)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    const QUrl address(url);
    if (!address.isValid() || address.host().isEmpty())
        return;
    // One manager per request, owned by the application, so the request outlives the dialog that
    // made it and whatever is still pending goes with the application at exit.
    auto *manager = new QNetworkAccessManager(app);
    // The camera server sits beside the arm on the local network, never behind a proxy.
    manager->setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(address);
    request.setTransferTimeout(TransferTimeoutMs);
    QNetworkReply *reply = manager->get(request);
    QObject::connect(reply, &QNetworkReply::finished, manager, [manager, reply] {
        reply->deleteLater();
        manager->deleteLater();
    });
}
