#pragma once

#include <QString>

// Asks the camera server on the arm's host to start its stream by requesting its start-up address
// once (an HTTP GET). Fire and forget: nothing waits for the answer and its result is not looked
// at; the request and its manager clean themselves up when it ends or times out.
void RequestStartupAddress(const QString &url);
