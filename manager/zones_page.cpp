// zones_page
