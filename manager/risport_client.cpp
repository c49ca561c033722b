// risport_client
