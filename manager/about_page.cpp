// about_page
