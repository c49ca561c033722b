// settings_page
