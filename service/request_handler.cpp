// request_handler
