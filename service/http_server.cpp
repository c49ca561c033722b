// http_server
