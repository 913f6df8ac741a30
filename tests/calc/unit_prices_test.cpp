// Tests to come with the stage they cover.
