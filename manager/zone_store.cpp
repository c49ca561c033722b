// zone_store
