// For a static program linked with libdbus-1's archive: the archive calls these two only when a
// server takes the sockets systemd passed it (socket activation). A client never does; should it
// ever, "no sockets passed" is the true answer for a program systemd did not start so.

extern "C" int sd_listen_fds(int /*unsetEnvironment*/) {
    return 0;
}

extern "C" int sd_is_socket(int /*fd*/, int /*family*/, int /*type*/, int /*listening*/) {
    return 0;
}
