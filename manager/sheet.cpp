// sheet
