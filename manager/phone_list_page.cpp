// phone_list_page
