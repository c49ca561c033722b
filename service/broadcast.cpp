// broadcast
