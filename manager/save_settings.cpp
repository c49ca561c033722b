// save_settings
