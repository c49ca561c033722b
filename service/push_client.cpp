// push_client
