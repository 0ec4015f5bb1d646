#include "engine/cResDownloader.h"

cResDownloader::cResDownloader() : cHttp("cResDownloader") {}

cResDownloader::~cResDownloader() = default;

void cResDownloader::OnReceived(int32_t) {}
